#pragma once
#include "screens/Choices.h"

DisplayChoice runOptionsScreen();
