// The library's fixed pauses (1 ms after each data packet, 10 ms before each
// reply header) only pace a real camera; nothing the fuzz targets check
// depends on them, and they would cut a campaign's executions a
// hundredfold. The fuzz executables are linked with
// --wrap=<SleepMs>, which sends the library's calls here instead.
#include <cstdint>

extern "C" void __wrap__ZN7quorvel8platform7SleepMsEj(std::uint32_t) {}
