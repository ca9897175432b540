#pragma once
// The window's design, in one place: where each control stands, in twips inside its
// container, and the texts of the tooltips. The window is built from it; the tests check the
// built window against it.
namespace window::design {

struct Place {
    double left, top, width, height;
};

// Header strip and its blocks.
inline constexpr Place ZoneT0{120, 120, 13080, 1095};
inline constexpr Place ZoneT1{-15, -15, 2055, 1095};
inline constexpr Place LblNbR1{180, 0, 615, 480};
inline constexpr Place LblNbR2{930, 0, 855, 480};
inline constexpr Place LblCode0{330, 750, 495, 195};
inline constexpr Place LblCode1{870, 750, 1095, 195};
inline constexpr Place ZoneT2{2040, 0, 8985, 1095};
inline constexpr Place LblTitre{1102, -90, 6765, 615};
inline constexpr Place LblIndics{1897, 600, 5175, 495};
inline constexpr Place ZoneT3{11025, -15, 2055, 1095};
inline constexpr Place ZoneSon{450, 90, 1185, 420};
inline constexpr Place Son{30, 45, 300, 300};
inline constexpr Place LblSite{330, 690, 1455, 375}; // widened about its centre for a long name
inline constexpr double kSeparatorTop = 600;         // LineT1 and LineT3, across their block

// Panel area.
inline constexpr Place VScroll{12945, 1290, 255, 8520};
inline constexpr Place HScroll{120, 9810, 12825, 255};
inline constexpr Place ZoneP1{120, 1290, 12825, 8520};
inline constexpr Place ZoneP2{0, 0, 12825, 8520};

// One question panel and its contents; panel n stands at column (n - 1) mod 3 and row
// (n - 1) div 3 of a grid whose neighbours overlap by 15.
inline constexpr Place Shape{120, 120, 4200, 555};
inline constexpr Place No{90, 165, 285, 255};
inline constexpr Place Play{390, 135, 270, 270}; // Cmd(n)
inline constexpr Place Stop{675, 135, 270, 270}; // Cmd(n + 30)
inline constexpr Place Txt{960, 135, 2115, 285};
inline constexpr Place Retour{3090, 150, 975, 255};

// Tooltips (UTF-8); the code's ends with the site's name, the site's with its address.
inline constexpr char kCodeTip[] =
    "Ce code vous permet de valider votre nombre de réponses sur le classement permanent de ";
inline constexpr char kSonTip[] =
    "En position OFF, le programme utilisera votre lecteur MP3 par défaut";
inline constexpr char kSiteTip[] = "Venez retrouver de nombreux autres dorlos sur ";

} // namespace window::design
