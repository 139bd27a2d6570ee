#include "CFPresenter.h"

namespace
{

void AppendItems(const std::vector<cf_standin::MenuItemShown>& items, std::string* line)
{
    for (size_t i = 0; i < items.size(); ++i) {
        const cf_standin::MenuItemShown& item = items[i];
        if (i) *line += " | ";
        if (item.separator) {
            *line += "---";
            continue;
        }
        if (item.checked) *line += "*";
        if (!item.enabled) *line += "-";
        if (item.indented) *line += ">";
        *line += item.title;
        if (item.hasSubmenu) {
            *line += " { ";
            AppendItems(item.submenu, line);
            *line += " }";
        }
    }
}

} // namespace

std::string cf_standin::MenuLine(const MenuShown& menu)
{
    std::string line;
    AppendItems(menu.items, &line);
    return line;
}

std::vector<int> cf_standin::Presenter::Menu(const MenuShown& menu)
{
    menus.push_back(menu);
    if (menuAnswers.empty()) return {};
    std::vector<int> answer = menuAnswers.front();
    menuAnswers.erase(menuAnswers.begin());
    return answer;
}
