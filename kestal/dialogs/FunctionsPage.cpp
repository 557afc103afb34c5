#include <kestal/dialogs/FunctionsPage.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/instrument/FunctionText.h>
#include <kestal/dialogs/InstrumentDialogs.h>
#include <kestal/instrument/InstrumentSession.h>
#include <kestal/stations/KestalDoc.h>

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace varno::kestal {

// ------------------------------------------------------------------ editor

CFunctionEditorDlg::CFunctionEditorDlg(QWidget* parent)
    : QDialog(parent)
    , m_name(new QLineEdit(this))
    , m_definition(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Function Editor"));
    m_definition->setMinimumWidth(m_definition->fontMetrics().averageCharWidth() * 48);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Name"), m_name);
    form->addRow(QStringLiteral("Function"), m_definition);

    auto* group = new QGroupBox(QStringLiteral("Statistics"), this);
    auto* boxes = new QHBoxLayout(group);
    for (const auto& [flag, label] : {std::pair{kStatMean, "mean"}, {kStatMean360, "mean360"},
                                      {kStatSigma, "sigma"}, {kStatMax, "max"}, {kStatMin, "min"}}) {
        auto* box = new QCheckBox(QString::fromLatin1(label), group);
        boxes->addWidget(box);
        m_statistics.emplace_back(flag, box);
        const int clicked = flag;
        connect(box, &QCheckBox::clicked, this, [this, clicked] { statisticClicked(clicked); });
    }

    // Operators, inputs, functions and counters, a row each.
    auto* keypad = new QGridLayout;
    keypad->setSpacing(2);
    const QStringList& tokens = KeypadTokens();
    const int rowStarts[] = {0, 9, 15, int(tokens.size())};
    for (int row = 0; row < 3; ++row)
        for (int i = rowStarts[row]; i < rowStarts[row + 1]; ++i) {
            auto* button = new QPushButton(tokens[i], this);
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::NoFocus); // the definition keeps its selection
            button->setMinimumWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("Uext")) + 16);
            const QString token = tokens[i];
            connect(button, &QPushButton::clicked, this, [this, token] { InsertToken(token); });
            keypad->addWidget(button, row, i - rowStarts[row]);
            m_keypad.push_back(button);
        }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(group);
    layout->addLayout(keypad);
    layout->addWidget(OkCancelButtons(this));
    m_definition->setFocus();
}

QCheckBox* CFunctionEditorDlg::statisticBox(int flag) const
{
    for (const auto& [f, box] : m_statistics)
        if (f == flag)
            return box;
    return nullptr;
}

QPushButton* CFunctionEditorDlg::keypadButton(const QString& token) const
{
    for (QPushButton* b : m_keypad)
        if (b->text() == token)
            return b;
    return nullptr;
}

void CFunctionEditorDlg::SetValues(const FunctionEdit& values)
{
    m_name->setText(values.name.isEmpty() ? QStringLiteral("new") : values.name);
    // A function's name cannot change (nor a new one's after the instrument refused it).
    m_name->setEnabled(values.name.isEmpty());
    m_definition->setText(values.definition);
    for (const auto& [flag, box] : m_statistics)
        box->setChecked(values.flags & flag);
}

FunctionEdit CFunctionEditorDlg::Values() const
{
    FunctionEdit values{m_name->text(), m_definition->text(), 0};
    for (const auto& [flag, box] : m_statistics)
        if (box->isChecked())
            values.flags |= flag;
    return values;
}

void CFunctionEditorDlg::statisticClicked(int clicked)
{
    const int flags = StatisticsAfterClick(Values().flags, clicked);
    for (const auto& [flag, box] : m_statistics)
        box->setChecked(flags & flag);
}

void CFunctionEditorDlg::InsertToken(const QString& token)
{
    const int start = m_definition->hasSelectedText() ? m_definition->selectionStart() : m_definition->cursorPosition();
    const int end = m_definition->hasSelectedText() ? m_definition->selectionEnd() : start;
    const KeypadInsertion result = InsertKeypadToken(m_definition->text(), start, end, token);
    m_definition->setText(result.text);
    m_definition->setCursorPosition(result.caret);
    m_definition->setFocus();
}

void CFunctionEditorDlg::accept()
{
    m_definition->setText(NormaliseDefinitionText(m_definition->text()));
    QDialog::accept();
}

// ------------------------------------------------------------------ page

CFunctionsPage::CFunctionsPage(InstrumentSession& session, QWidget* parent)
    : CListPage({QStringLiteral("name"), QStringLiteral("statistics"), QStringLiteral("function")}, parent)
    , m_list(session, [this, &session](FunctionEdit& e) { return EditInDialog<CFunctionEditorDlg>(e, session.Doc(), this); })
{
    Initialise(m_list);
}

} // namespace varno::kestal
