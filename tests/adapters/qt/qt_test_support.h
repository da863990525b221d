// The QApplication every Qt test needs, made once by a global test environment.
#pragma once

#include <QHeaderView>

#include "qt_support.h"
