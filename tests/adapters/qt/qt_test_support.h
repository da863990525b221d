// The QApplication every Qt test needs, made once by a global test environment.
#pragma once

#include <QHeaderView>

#include "adapters/qt/qt_support.h"
