#pragma once
// The game's whole run: the application, its one window, and the ways it can end.
#include <functional>

namespace window {

class FrmDorlo;

// beforeShow, when given, sees the window once it is built, before it is shown.
int runGame(int argc, char* argv[], const std::function<void(FrmDorlo&)>& beforeShow = {});

} // namespace window
