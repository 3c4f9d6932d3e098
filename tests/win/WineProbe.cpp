// Proves that Windows programs of this tree really run under the harness's Wine: a program
// that silently does not start (a missing Wine side, say) exits 0 without this line.
#include <cstdio>

int main()
{
    std::printf("Windows program ran (%u-bit)\n", unsigned(sizeof(void*) * 8));
    return 0;
}
