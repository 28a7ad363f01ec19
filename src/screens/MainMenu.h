#pragma once
#include "screens/Choices.h"

MenuChoice runMainMenu();
