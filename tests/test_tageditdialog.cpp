#include <gtest/gtest.h>

#include "ui/TagEditDialog.h"
