#include <kestal/dialogs/SetupSheet.h>

#include <kestal/dialogs/FunctionsPage.h>
#include <kestal/dialogs/InstrumentDialogs.h>
#include <kestal/instrument/InstrumentSession.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/TimerPage.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace varno::kestal {

namespace {

void showValue(QComboBox* box, const QString& text)
{
    const int index = box->findText(text);
    box->setCurrentIndex(index);
    if (index < 0 && box->isEditable())
        box->setEditText(text);
}

} // namespace

CMeasurementSetupPage::CMeasurementSetupPage(InstrumentSession& session, QWidget* parent)
    : QWidget(parent)
    , m_session(session)
    , m_setup(session)
{
    m_access = m_setup.ReadAccess();
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(6, 1);
    m_sample = addBox(0, QStringLiteral("Sample Period"), SamplePeriodChoices(), true, true);
    m_statistic = addBox(1, QStringLiteral("Statistic Period"), StatisticPeriodChoices(), true, true);
    m_timestamp = addBox(2, QStringLiteral("Timestamp"), TimestampChoices(), true, true);
    m_preheat = addBox(3, QStringLiteral("Preheat"), PreheatChoices(), true, m_access.flags & kFlagPreheat);
    m_sampleLength = addBox(4, QStringLiteral("Sample Length"), SampleLengthChoices(), false,
                            m_access.flags & kFlagSampleLength);
    m_dataFormat =
        addBox(5, QStringLiteral("Data Format"), DataFormatChoices(), false, m_access.flags & kFlagDataFormat);
    Load();
}

QComboBox* CMeasurementSetupPage::addBox(int row, const QString& label, const QStringList& choices,
                                         bool editableText, bool offered)
{
    auto* grid = static_cast<QGridLayout*>(layout());
    auto* box = new QComboBox(this);
    box->setEditable(editableText);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(choices);
    box->setEnabled(m_access.editable);
    box->setMinimumContentsLength(8);
    auto* name = new QLabel(label, this);
    name->setBuddy(box);
    grid->addWidget(name, row, 0);
    grid->addWidget(box, row, 1);
    name->setVisible(offered);
    box->setVisible(offered);
    // A choice from the list marks the page modified; typing does not.
    connect(box, QOverload<int>::of(&QComboBox::activated), this, &CMeasurementSetupPage::modified);
    return box;
}

void CMeasurementSetupPage::Load()
{
    m_values = m_setup.Read();
    showValue(m_sample, m_values.samplePeriod);
    showValue(m_statistic, m_values.statisticPeriod);
    showValue(m_timestamp, m_values.timestamp);
    showValue(m_preheat, m_values.preheat);
    m_sampleLength->setCurrentIndex(m_values.sampleLength);
    m_dataFormat->setCurrentIndex(m_values.dataFormat);
}

MeasurementValues CMeasurementSetupPage::Values() const
{
    MeasurementValues v = m_values;
    v.samplePeriod = m_sample->currentText();
    v.statisticPeriod = m_statistic->currentText();
    v.timestamp = m_timestamp->currentText();
    v.preheat = m_preheat->currentText();
    v.sampleLength = m_sampleLength->currentIndex();
    v.dataFormat = m_dataFormat->currentIndex();
    return v;
}

bool CMeasurementSetupPage::Apply()
{
    const bool written = m_setup.Write(Values());
    if (m_session.Doc().IsConnected())
        Load();
    return written;
}

CSetupSheet::CSetupSheet(InstrumentSession& session, bool withTimerPage, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_tabs(new QTabWidget(this))
{
    setWindowTitle(QStringLiteral("Instrument Setup"));
    m_tabs->setUsesScrollButtons(false); // every page's tab in sight
    m_measurement = new CMeasurementSetupPage(session, m_tabs);
    m_functions = new CFunctionsPage(session, m_tabs);
    m_tabs->addTab(m_measurement, QStringLiteral("Measurement Setup"));
    m_tabs->addTab(m_functions, QStringLiteral("Functions"));
    if (withTimerPage) {
        m_timers = new CTimerPage(session, m_tabs);
        m_tabs->addTab(m_timers, QStringLiteral("Timer"));
    }
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_apply = buttons->button(QDialogButtonBox::Apply);
    m_apply->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetupSheet::reject);
    connect(m_apply, &QPushButton::clicked, this, [this] {
        if (Apply())
            m_apply->setEnabled(false);
    });
    connect(m_measurement, &CMeasurementSetupPage::modified, this, [this] { m_apply->setEnabled(true); });
    CloseWhenDisconnected(*this, session.Doc());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    // Room for a few functions with their definitions.
    resize(sizeHint().expandedTo(QSize(480, 380)));
}

bool CSetupSheet::Apply()
{
    return m_measurement->Apply();
}

void CSetupSheet::accept()
{
    Apply();
    // A line that dropped meanwhile has closed the sheet already.
    if (m_session.Doc().IsConnected())
        QDialog::accept();
}

} // namespace varno::kestal
