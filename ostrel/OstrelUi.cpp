#include <ostrel/OstrelUi.h>

#include <cstdio>

namespace {

COstrelUi g_consoleUi;
COstrelUi* g_ui = &g_consoleUi;

} // namespace

COstrelUi::~COstrelUi() = default;

void COstrelUi::ShowMessage(const std::string& text, const std::string& caption)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

std::string COstrelUi::ChooseFileToOpen(const std::string&, const std::string&, const std::string&)
{
    return std::string();
}

void ostrel_setui(COstrelUi* ui)
{
    g_ui = ui ? ui : &g_consoleUi;
}

COstrelUi& ostrel_ui()
{
    return *g_ui;
}
