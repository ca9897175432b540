// Dorlo Zidoduder 04: the game's one window.
#include "window/game.h"

int main(int argc, char* argv[]) {
    return window::runGame(argc, argv);
}
