// Registers the resources compiled into the core library (skin, help page).
// A static library's resources are not found until this has run once.
#pragma once

void initCadeloResources();
