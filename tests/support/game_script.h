// Script pieces shared by the end-to-end game tests (on top of game_driver.h).
#pragma once
#include "tests/support/game_driver.h"

namespace gametest {

// From the title: the first left click shows the menu, the second starts a game.
void StartFromTitle(Driver& d);
// In the play scene: eats and counts `bowls` bowls, each as soon as the table allows (left click on a
// full bowl, right click on the emptied one, and a left click that hurries the refill when hurry is set).
void EatBowls(Driver& d, int bowls, bool hurry = false);
// From now on each frame of the play scene moves the clock on by a second, so the countdown runs
// out in about thirty frames (the countdown counts one second per frame at most).
void FastClock(Driver& d);
// On the result screen: a left click back to the title, then Escape.
void ReturnAndQuit(Driver& d);

}  // namespace gametest
