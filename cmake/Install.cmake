# Install rules for cadelo, cadelo-cli and their desktop files.
include(GNUInstallDirs)
install(TARGETS cadelo cadelo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
