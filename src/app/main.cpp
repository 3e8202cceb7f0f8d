#include "app/CKANDRIXApp.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    CKANDRIXApp application;
    int code = application.Run(argc, argv);
    // Worker threads are never waited for; ending here, without the static
    // destructors they might still be using, keeps a late worker from
    // crashing the exit.
    std::fflush(nullptr);
    _exit(code);
}
