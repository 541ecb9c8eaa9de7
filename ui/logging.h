#pragma once
// The interface side's own messages, under Qt's logging categories so that
// QT_LOGGING_RULES filters them ("heatlume.interface.warning=false"). The
// warnings the device has always printed stay in the "default" category.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcInterface)
