// The main menu, the hub between games, the high scores and quitting.
#pragma once
#include "screens/Choices.h"

MenuChoice runMainMenu();
