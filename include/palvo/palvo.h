// Everything a host needs: the eight classes, values, errors and the ports.
#pragma once

#include "palvo/clsDatabase.h"
#include "palvo/clsElse.h"
#include "palvo/clsForm.h"
#include "palvo/clsFunction.h"
#include "palvo/clsGrid.h"
#include "palvo/clsIp.h"
#include "palvo/clsPrint.h"
#include "palvo/clsSearch.h"
#include "palvo/data.h"
#include "palvo/dispatch.h"
#include "palvo/error.h"
#include "palvo/msgbox.h"
#include "palvo/printer.h"
#include "palvo/session.h"
#include "palvo/spreadsheet.h"
#include "palvo/value.h"
