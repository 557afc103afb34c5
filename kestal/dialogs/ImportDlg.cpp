#include <kestal/dialogs/ImportDlg.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/files/Launcher.h>

#include <ostrel/Ostrel.h>
#include <qtsupport/Text.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace varno::kestal {

namespace {

QLineEdit* readOnly(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

} // namespace

CImportDlg::CImportDlg(const QString& path, const Launcher& launcher, QWidget* parent)
    : QDialog(parent)
    , m_path(path)
    , m_launcher(launcher)
    , m_serialLabel(new QLabel(QStringLiteral("No."), this))
    , m_serial(readOnly(this))
    , m_start(readOnly(this))
    , m_stop(readOnly(this))
    , m_title(readOnly(this))
    , m_instrument(readOnly(this))
    , m_version(readOnly(this))
{
    setWindowTitle(QStringLiteral("Import Measurement File"));

    std::unique_ptr<COstrel> data(COstrel::newObject());
    data->Load(qtsupport::pathBytes(path));
    m_title->setText(qtsupport::textFromBytes(data->GetTitle()));
    const char* name = data->GetInstrumentName();
    const QString instrument = name ? qtsupport::textFromBytes(name) : QString();
    m_instrument->setText(instrument.isEmpty() ? QStringLiteral("unknown") : instrument);
    m_version->setText(QString::asprintf("%1.1f", data->GetVersion()));
    const int serial = data->GetSerialNumber();
    m_serial->setText(QString::number(serial));
    char buf[CUtcTime::PrintBufferSize];
    m_start->setText(QString::fromLatin1(data->GetStartTime().Print(buf, false)));
    m_stop->setText(QString::fromLatin1(data->GetMaxTime().Print(buf, false)));
    data.reset();

    auto* details = new QGroupBox(QStringLiteral("Details"), this);
    auto* grid = new QGridLayout(details);
    int row = 0;
    const auto add = [&](QWidget* label, QLineEdit* edit) {
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row++, 1);
    };
    add(new QLabel(QStringLiteral("Instrument"), this), m_instrument);
    add(new QLabel(QStringLiteral("Version"), this), m_version);
    add(m_serialLabel, m_serial);
    add(new QLabel(QStringLiteral("Title"), this), m_title);
    add(new QLabel(QStringLiteral("Start Time"), this), m_start);
    add(new QLabel(QStringLiteral("Stop Time"), this), m_stop);
    m_serialLabel->setVisible(serial != 0);
    m_serial->setVisible(serial != 0);

    auto* from = readOnly(this);
    from->setText(path);
    from->setMinimumWidth(360);
    auto* buttons = OkCancelButtons(this);
    QPushButton* viewButton = buttons->addButton(QStringLiteral("View"), QDialogButtonBox::ActionRole);
    connect(viewButton, &QPushButton::clicked, this, &CImportDlg::view);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(details);
    layout->addWidget(new QLabel(QStringLiteral("Import from:"), this));
    layout->addWidget(from);
    layout->addWidget(buttons);
}

QString CImportDlg::serialNumber() const { return m_serial->text(); }
QString CImportDlg::startTime() const { return m_start->text(); }
QString CImportDlg::stopTime() const { return m_stop->text(); }
QString CImportDlg::title() const { return m_title->text(); }
QString CImportDlg::instrument() const { return m_instrument->text(); }
QString CImportDlg::version() const { return m_version->text(); }
bool CImportDlg::serialShown() const { return !m_serial->isHidden(); }

void CImportDlg::view() { m_launcher.OpenInViewer(m_path); }

} // namespace varno::kestal
