// Our own declaration of the FTDI D2XX calls the program makes. On this
// platform they are served by the simulated board (boardsim/); the
// application code only ever sees this C interface.
//
// How the stand-in behaves (all calls thread-safe):
// - A null, closed or unknown handle gives FT_INVALID_HANDLE; a handle whose
//   board was unplugged gives FT_IO_ERROR on every call but FT_Close.
// - FT_GetDeviceInfoList copies the list built by the last
//   FT_CreateDeviceInfoList, so an array sized by its count always fits.
// - FT_OpenEx: flags other than FT_OPEN_BY_SERIAL_NUMBER give
//   FT_INVALID_PARAMETER, an unknown serial FT_DEVICE_NOT_FOUND, a board that
//   is open already FT_DEVICE_NOT_OPENED. A new handle starts with empty
//   queues and 1000/1000 ms time-outs.
// - FT_GetStatus reports at once what is queued; it never waits, so a caller
//   that waits for an answer must block in FT_Read (or sleep).
// - FT_Read waits until the count asked for is queued or the read time-out
//   passes (a time-out of 0 does not wait) and returns FT_OK with what it got.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint16_t USHORT;
typedef unsigned char UCHAR;
typedef void* PVOID;
typedef void* LPVOID;
typedef DWORD* LPDWORD;

enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INVALID_PARAMETER = 6
};

#define FT_OPEN_BY_SERIAL_NUMBER 1
#define FT_PURGE_RX 1
#define FT_PURGE_TX 2
#define FT_FLOW_RTS_CTS 0x0100

/* Flags of a device-list record. */
#define FT_FLAGS_OPENED 1

typedef struct _ft_device_list_info_node
{
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
} FT_DEVICE_LIST_INFO_NODE;

FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs);
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* pDest, LPDWORD lpdwNumDevs);
FT_STATUS FT_OpenEx(PVOID pArg1, DWORD Flags, FT_HANDLE* pHandle);
FT_STATUS FT_Close(FT_HANDLE ftHandle);
FT_STATUS FT_ResetDevice(FT_HANDLE ftHandle);
FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask);
FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable);
FT_STATUS FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG ulOutTransferSize);
FT_STATUS FT_SetFlowControl(FT_HANDLE ftHandle, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar);
FT_STATUS FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout);
FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten);
FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                  LPDWORD lpBytesReturned);
FT_STATUS FT_GetStatus(FT_HANDLE ftHandle, DWORD* lpdwAmountInRxQueue, DWORD* lpdwAmountInTxQueue,
                       DWORD* lpdwEventStatus);

#ifdef __cplusplus
}
#endif
