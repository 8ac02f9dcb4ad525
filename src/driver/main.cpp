#include <clocale>
#include <cstdlib>

#include "driver/driver.h"

int main(int argc, char** argv) {
    // The terminal's codeset decides how Shift-JIS messages are shown on it.
    std::setlocale(LC_CTYPE, "");
    std::exit(velk::runDriver(argc, argv, velk::defaultHooks()));
}
