// The program's menu ORBITMENU and its accelerator table ORBITACCELERATORS,
// as data. Texts are code page 1250 (the build's execution character set).
#pragma once
#include <cstdint>
#include "platform/plat_dialog.h"
#include "platform/wintypes.h"

// Command ids of the run control (the other ids belong to the view commands).
constexpr uint16_t CMD_ABOUT = 104;
constexpr uint16_t CMD_END_RUN_NOW = 105;
constexpr uint16_t CMD_END_RUN = 110;
constexpr uint16_t CMD_END_ALL = 111;
constexpr uint16_t CMD_FASTER = 139;
constexpr uint16_t CMD_SLOWER = 140;
constexpr uint16_t CMD_PAUSE = 166;

#define ORBIT_POPUP(text) {MENU_POPUP, 0, text, 0}
#define ORBIT_ITEM(id, text) {MENU_ITEM, id, text, 0}
#define ORBIT_SEPARATOR {MENU_SEPARATOR, 0, nullptr, 0}
#define ORBIT_END {MENU_END, 0, nullptr, 0}

inline constexpr MENU_ENTRY ORBITMENU[] = {
    ORBIT_POPUP("Si&mulace"),
        ORBIT_ITEM(139, "Simulaci o krok zrychlit \t   Num +"),
        ORBIT_ITEM(140, "Simulaci o krok zpomalit \t   Num -"),
        ORBIT_ITEM(166, "Simulaci pozastavit \t   Mezerník"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(110, "Konec aktuálního běhu simulace\t   Alt+X"),
        ORBIT_ITEM(111, "Konec programu (všech běhů)\t   F10"),
    ORBIT_END,
    ORBIT_POPUP("&Kamera"),
        ORBIT_POPUP("Režim kamery"),
            ORBIT_ITEM(132, "Fixovaná v ECI souřadnicích\t   Ctrl+1"),
            ORBIT_ITEM(135, "Fixovaná v ECF souřadnicích\t   Ctrl+2"),
            ORBIT_ITEM(136, "Fixovaná vzhledem k průvodiči Slunce\t   Ctrl+3"),
            ORBIT_ITEM(162, "Sleduje satelit, stabilní vůči povrchu Země \t   Ctrl+4"),
            ORBIT_ITEM(163, "Sleduje satelit, stabilní v ECI souřadnicích\t   Ctrl+5"),
            ORBIT_ITEM(164, "Sleduje satelit, stabilní v BODY souřadnicích\t   Ctrl+6"),
            ORBIT_ITEM(138, "Volně pohyblivá vzhledem k Zemi \t   Ctrl+7"),
        ORBIT_END,
        ORBIT_ITEM(157, "Přepnout režim kamery na další\t   C"),
        ORBIT_ITEM(158, "Kamera do výchozí pozice\t   Home"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(147, "Pomalu přiblížit\t   PgUp"),
        ORBIT_ITEM(148, "Pomalu oddálit\t   PgDn"),
        ORBIT_ITEM(141, "Pomalu otočit směrem doleva\t   ŠipkaDoleva"),
        ORBIT_ITEM(142, "Pomalu otočit směrem doprava\t   ŠipkaDoprava"),
        ORBIT_ITEM(144, "Pomalu otočit směrem dolů\t   ŠipkaDolů"),
        ORBIT_ITEM(143, "Pomalu otočit směrem nahoru\t   ŠipkaNahoru"),
        ORBIT_ITEM(145, "Pomalu naklonit směrem doleva\t   Ctrl+ŠipkaDoleva"),
        ORBIT_ITEM(146, "Pomalu naklonit směrem doprava\t   Ctrl+ŠipkaDoprava"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(155, "Zrychleně přiblížit\t   Shift+PgUp"),
        ORBIT_ITEM(156, "Zrychleně oddálit\t   Shift+PgDn"),
        ORBIT_ITEM(149, "Zrychleně otočit směrem doleva\t   Shift+ŠipkaDoleva"),
        ORBIT_ITEM(150, "Zrychleně otočit směrem doprava\t   Shift+ŠipkaDoprava"),
        ORBIT_ITEM(152, "Zrychleně otočit směrem dolů\t   Shift+ŠipkaDolů"),
        ORBIT_ITEM(151, "Zrychleně otočit směrem nahoru\t   Shift+ŠipkaNahoru"),
        ORBIT_ITEM(153, "Zrychleně naklonit směrem doleva\t   Shift+Ctrl+ŠipkaDoleva"),
        ORBIT_ITEM(154, "Zrychleně naklonit směrem doprava\t   Shift+Ctrl+ŠipkaDoprava"),
    ORBIT_END,
    ORBIT_POPUP("Zobrazení"),
        ORBIT_ITEM(177, "Informační okno satelitu\t   Ctrl+W"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(30000, "Vektor okamžité orbitální rychlosti\t   Shift+Ctrl+V"),
        ORBIT_ITEM(167, "Křivka historie polohy satelitu\t   Ctrl+H"),
        ORBIT_ITEM(168, "Detaily v popisku satelitu\t   Ctrl+T"),
        ORBIT_ITEM(169, "Spojnice satelitu se zemským povrchem\t   Ctrl+E"),
        ORBIT_ITEM(170, "Vyznačení hranice viditelnosti satelitu\t   Ctrl+V"),
        ORBIT_ITEM(171, "Vektor směrem ke Slunci od satelitu\t   Ctrl+S"),
        ORBIT_ITEM(172, "Vektor magnetického pole v místě satelitu\t   Ctrl+M"),
        ORBIT_ITEM(173, "Složky vektoru magnetrického pole\t   Shift+Ctrl+C"),
        ORBIT_ITEM(174, "Historie vektoru magnetického pole\t   Ctrl+N"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(175, "Osy souřadné soustavy ECI v místě satelitu\t   Ctrl+I"),
        ORBIT_ITEM(176, "Osy souřadného systému ECEM v místě satelitu\t   Ctrl+A"),
        ORBIT_ITEM(32792, "Osy souřadného systému BODY v místě satelitu\t   Ctrl+B"),
        ORBIT_ITEM(1700, "Osy souřadného systému ORBIT v místě satelitu\t   Ctrl+O"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(2121, "Aktuální celkový magnetický dipólový moment satelitu\t   Shift+Ctrl+O"),
        ORBIT_SEPARATOR,
        ORBIT_ITEM(3568, "Okamžitá osa rotace\t   Shift+Ctrl+A"),
        ORBIT_ITEM(32793, "Vektor okamžité úhlové rychlosti satelitu \t   Ctrl+R"),
        ORBIT_ITEM(5555, "Základní osy rotace (diagonální tenzor)\t   Ctrp+P"),
        ORBIT_ITEM(3331, "Vektor rušivého gravitačního točivého momentu\t   Shift+Ctrl+G"),
        ORBIT_ITEM(1690, "Vektor rušivého momentu tlakem slunečního záření\t   Shift+Ctrl+S"),
        ORBIT_ITEM(12321, "Vektor celkového magnetického točivého momentu\t   Shift+Ctrl+M"),
        ORBIT_ITEM(4534, "Vektor celkového točivého momentu satelitu\t   Shift+Ctrl+T"),
    ORBIT_END,
    ORBIT_POPUP("&Ostatní"),
        ORBIT_POPUP("Magnetické pole"),
            ORBIT_ITEM(159, "Zobrazit jako vektory"),
            ORBIT_ITEM(160, "Zobrazit jako siločáry"),
            ORBIT_ITEM(161, "Přepnout režim zobrazení\t   M"),
        ORBIT_END,
        ORBIT_ITEM(178, "Přepnout aktuální satelit na další\t   TAB"),
        ORBIT_ITEM(371, "Spustit / zastavit záznam filmu\t   Shift+Ctrl+R"),
    ORBIT_END,
    {MENU_POPUP, 0, "&Nápověda", 1},
        ORBIT_ITEM(104, "&O programu ..."),
    ORBIT_END,
};

#undef ORBIT_POPUP
#undef ORBIT_ITEM
#undef ORBIT_SEPARATOR
#undef ORBIT_END

inline constexpr uint32_t ORBITMENU_COUNT = sizeof(ORBITMENU) / sizeof(ORBITMENU[0]);

inline constexpr uint8_t ACC_V = FVIRTKEY;
inline constexpr uint8_t ACC_VS = FVIRTKEY | FSHIFT;
inline constexpr uint8_t ACC_VC = FVIRTKEY | FCONTROL;
inline constexpr uint8_t ACC_VSC = FVIRTKEY | FSHIFT | FCONTROL;

inline constexpr ACCEL ORBITACCELERATORS[] = {
    // Typed characters.
    {0, '+', 139}, {0, '-', 140}, {0, ' ', 166}, {0, 'c', 157}, {0, 'm', 161},
    {FALT, '/', 104}, {FALT, '?', 104}, {FALT, 'x', 105},
    // Keys without a modifier.
    {ACC_V, VK_HOME, 158}, {ACC_V, VK_LEFT, 141}, {ACC_V, VK_RIGHT, 142}, {ACC_V, VK_UP, 144},
    {ACC_V, VK_DOWN, 143}, {ACC_V, VK_PRIOR, 147}, {ACC_V, VK_NEXT, 148}, {ACC_V, VK_TAB, 178},
    // With Shift.
    {ACC_VS, VK_LEFT, 149}, {ACC_VS, VK_RIGHT, 150}, {ACC_VS, VK_UP, 152}, {ACC_VS, VK_DOWN, 151},
    {ACC_VS, VK_PRIOR, 155}, {ACC_VS, VK_NEXT, 156},
    // With Ctrl.
    {ACC_VC, VK_LEFT, 145}, {ACC_VC, VK_RIGHT, 146},
    {ACC_VC, '1', 132}, {ACC_VC, '2', 135}, {ACC_VC, '3', 136}, {ACC_VC, '4', 162},
    {ACC_VC, '5', 163}, {ACC_VC, '6', 164}, {ACC_VC, '7', 138},
    {ACC_VC, 'A', 176}, {ACC_VC, 'B', 32792}, {ACC_VC, 'E', 169}, {ACC_VC, 'H', 167},
    {ACC_VC, 'I', 175}, {ACC_VC, 'M', 172}, {ACC_VC, 'N', 174}, {ACC_VC, 'O', 1700},
    {ACC_VC, 'P', 5555}, {ACC_VC, 'R', 32793}, {ACC_VC, 'S', 171}, {ACC_VC, 'T', 168},
    {ACC_VC, 'V', 170}, {ACC_VC, 'W', 177},
    // With Shift and Ctrl.
    {ACC_VSC, VK_LEFT, 153}, {ACC_VSC, VK_RIGHT, 154},
    {ACC_VSC, 'A', 3568}, {ACC_VSC, 'C', 173}, {ACC_VSC, 'G', 3331}, {ACC_VSC, 'M', 12321},
    {ACC_VSC, 'O', 2121}, {ACC_VSC, 'R', 371}, {ACC_VSC, 'S', 1690}, {ACC_VSC, 'T', 4534},
    {ACC_VSC, 'V', 30000},
};

inline constexpr uint32_t ORBITACCELERATORS_COUNT = sizeof(ORBITACCELERATORS) / sizeof(ORBITACCELERATORS[0]);

// The about box ORBIT_ABOUTBOX: 210 x 72 dialog units of the 8-point system
// font (6 x 13 pixels per 4 x 8 units), three lines of text, the OK button
// and the framed picture (id 134) in which the strip MOVINGBITMAP turns.
constexpr int32_t ORBIT_DLU_X(int32_t units) { return units * 6 / 4; }
constexpr int32_t ORBIT_DLU_Y(int32_t units) { return units * 13 / 8; }
constexpr uint16_t ORBIT_ABOUT_PICTURE_ID = 134;

inline constexpr PLAT_DIALOG_ITEM ORBIT_ABOUTBOX_ITEMS[] = {
    {"static", "Vizualizace satelitu, verze 1.0", 0xFFFF, ORBIT_DLU_X(7), ORBIT_DLU_Y(7), ORBIT_DLU_X(136),
     ORBIT_DLU_Y(10), SS_LEFT},
    {"static", "Simulace malých satelitů na dráze", 0xFFFF, ORBIT_DLU_X(7), ORBIT_DLU_Y(19), ORBIT_DLU_X(136),
     ORBIT_DLU_Y(10), SS_LEFT},
    {"static", "a jejich palubního software.", 0xFFFF, ORBIT_DLU_X(7), ORBIT_DLU_Y(31), ORBIT_DLU_X(136),
     ORBIT_DLU_Y(10), SS_LEFT},
    {"button", "OK", 1, ORBIT_DLU_X(7), ORBIT_DLU_Y(52), ORBIT_DLU_X(50), ORBIT_DLU_Y(14), 0},
    {"static", "", ORBIT_ABOUT_PICTURE_ID, ORBIT_DLU_X(146), ORBIT_DLU_Y(6), ORBIT_DLU_X(60), ORBIT_DLU_Y(60),
     SS_SUNKEN},
};

inline constexpr PLAT_DIALOG ORBIT_ABOUTBOX = {
    "O programu", ORBIT_DLU_X(210), ORBIT_DLU_Y(72), ORBIT_ABOUTBOX_ITEMS,
    sizeof ORBIT_ABOUTBOX_ITEMS / sizeof ORBIT_ABOUTBOX_ITEMS[0],
};
