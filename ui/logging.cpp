#include "ui/logging.h"

Q_LOGGING_CATEGORY(lcInterface, "heatlume.interface", QtInfoMsg)
