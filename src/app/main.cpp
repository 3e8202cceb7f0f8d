#include "app/CKANDRIXApp.h"

int main(int argc, char** argv)
{
    CKANDRIXApp application;
    return application.Run(argc, argv);
}
