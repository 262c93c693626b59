// The look the main window and the developer window share: their menu bars,
// menus and the flat buttons that stand in the menus as entries.
#pragma once

#include <QString>

namespace windowlook {

inline constexpr char kMenu[] = "QMenu { border: none;}";

inline constexpr char kMenuEntry[] =
    "QPushButton {     background-color: #e4d8cb;    color: #1a1a1a;    font-family: Arial, "
    "sans-serif;    font: 12px;    border: 0px solid #CC8C6A26;    border-bottom: 1px solid "
    "#CC8C6A26;    padding: 4px 20px 4px 10px;    text-align: left;} QPushButton:hover {     "
    "background-color: #CC8C6A26;}";

// The windows differ only in the background of the entry under the mouse.
inline QString menuBar(const char* selectedBackground)
{
    return QString("QMenuBar {    background-color: #F8F8F8;    font-family: Arial, sans-serif;    "
                   "font-size: 14px;    border-bottom: 1px solid #CC8C6A26;}QMenuBar::item {    "
                   "background-color: #F8F8F8;    color: #333333;    font-family: Arial, "
                   "sans-serif;    font-size: 14px;    width: 20px;    padding: 3px "
                   ";}QMenuBar::item:selected {    background-color: %1;    color: #886827;}")
        .arg(selectedBackground);
}

} // namespace windowlook
