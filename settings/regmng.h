// The settings manager: TRegManager with its item table (TRegItems,
// TRegItem) and its filer (TRegFiler).
#pragma once

#include "reg_filer.h"
#include "reg_item.h"
#include "reg_manager.h"
#include "settings_errors.h"
