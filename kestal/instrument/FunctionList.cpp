#include <kestal/instrument/FunctionList.h>

#include <kestal/instrument/FunctionText.h>
#include <kestal/instrument/InstrumentSession.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

namespace varno::kestal {

namespace {

const QString kCaption = QStringLiteral("kestal");
// An instrument keeps a few dozen functions at most; a link that never ends its list stops here.
constexpr int kMaxListed = 256;

void tell(const QString& text)
{
    qtsupport::userInteraction().message(text, kCaption, qtsupport::UserInteraction::Icon::Warning);
}

} // namespace

FunctionList::FunctionList(InstrumentSession& session, Editor editor)
    : InstrumentList(session)
    , m_editor(std::move(editor))
{
}

void FunctionList::Refresh()
{
    m_rows.clear();
    m_session.Read([this](CQuorvalin& link) {
        for (int i = 0; i < kMaxListed; ++i) {
            InstrumentFunction row{link.GetFunctionName(i), 0, {}};
            if (row.name.empty())
                break;
            row.flags = link.GetFunctionStatistics(i);
            row.definition = link.GetFunctionDefinition(i);
            m_rows.push_back(std::move(row));
        }
    });
}

std::vector<QStringList> FunctionList::Texts() const
{
    std::vector<QStringList> texts;
    for (const InstrumentFunction& f : m_rows)
        texts.push_back({qtsupport::textFromBytes(f.name), StatisticsText(f.flags), qtsupport::textFromBytes(f.definition)});
    return texts;
}

void FunctionList::Add()
{
    edit(FunctionEdit{QString(), QString(), kStatMean}, std::string());
}

void FunctionList::Change(int row)
{
    if (row < 0 || row >= int(m_rows.size())) {
        tell(QStringLiteral("No function is selected in the list"));
        Refresh();
        return;
    }
    // As the instrument holds it now.
    InstrumentFunction current;
    m_session.Read([&](CQuorvalin& link) {
        current = {link.GetFunctionName(row), link.GetFunctionStatistics(row), link.GetFunctionDefinition(row)};
    });
    edit(FunctionEdit{qtsupport::textFromBytes(current.name), qtsupport::textFromBytes(current.definition), current.flags},
         current.name);
}

void FunctionList::edit(FunctionEdit values, const std::string& storedName)
{
    if (m_editor && m_editor(values)) {
        for (;;) {
            bool accepted = false;
            const bool connected = m_session.Change(QStringLiteral("Sending the function"), [&](CQuorvalin& link) {
                accepted = link.SetFunction(KeptBytes(values.name, storedName), values.flags,
                                            values.definition.toLatin1().toStdString());
                link.Update();
            });
            if (!connected || accepted)
                break;
            tell(QStringLiteral("invalid function definition"));
            if (!m_editor(values))
                break;
        }
    }
    Refresh();
}

void FunctionList::Delete(int row)
{
    if (row < 0 || row >= int(m_rows.size())) {
        tell(QStringLiteral("No function is selected in the list"));
        return;
    }
    const std::string name = m_rows[size_t(row)].name;
    const QString question = QStringLiteral("Do you want to delete the function \"%1\" ?").arg(qtsupport::textFromBytes(name));
    if (qtsupport::userInteraction().question(question, kCaption, qtsupport::UserInteraction::Buttons::YesNo) !=
        qtsupport::UserInteraction::Answer::Yes)
        return;
    m_session.Change(QStringLiteral("Deleting the function"), [&](CQuorvalin& link) {
        link.DeleteFunction(name);
        link.Update();
    });
    Refresh();
}

} // namespace varno::kestal
