// The game's own start-up, as its main runs it, ending once the window has been drawn:
// the quit then closes the window through the game's shutdown.
#include "quit_after_paint.h"
#include "window/frm_dorlo.h"
#include "window/game.h"

int main(int argc, char* argv[]) {
    return window::runGame(argc, argv,
                           [](window::FrmDorlo& form) { new bench::QuitAfterFirstPaint(&form); });
}
