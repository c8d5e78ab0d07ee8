// A folder above platform/ calling the operating system itself: the graph test refuses it.
#include <fcntl.h>
