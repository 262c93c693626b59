#include "Developer_Mode.h"

int Developer_Mode::sum_16(std::string) { return 0; }
int Developer_Mode::double2int(double) { return 0; }
int Developer_Mode::getcharFromSide(int, unsigned char*) { return 0; }
int Developer_Mode::getcharFromTFT(int, unsigned char*) { return 0; }
int Developer_Mode::string2uchar(std::string, unsigned char*) { return 0; }
int Developer_Mode::checkGOAsum(unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*)
{
    return 0;
}
int Developer_Mode::checkTFTSCAN(unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                 unsigned char*, unsigned char*, unsigned char*, unsigned char*)
{
    return 0;
}
int Developer_Mode::checkADCsum(unsigned char*, unsigned char*, unsigned char*) { return 0; }
int Developer_Mode::checkTFTsum(unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*, unsigned char*, unsigned char*,
                                unsigned char*, unsigned char*, unsigned char*, unsigned char*)
{
    return 0;
}
unsigned char* Developer_Mode::getcharFromTreset(int, unsigned char* out) { return out; }
unsigned char* Developer_Mode::getcharFromSCAN(int, unsigned char* out) { return out; }
