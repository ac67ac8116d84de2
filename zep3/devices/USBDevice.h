#pragma once
/// @class CUSBDevice
/// A byte-stream device on USB with one bulk input pipe
/// (endpoint 0x83) and one bulk output pipe (endpoint 0x03).
///
/// While a device is open, a worker thread keeps 200 reads of 4096 bytes in
/// flight and collects the incoming stream in a ring of 819200 bytes (200
/// segments); the application reads the ring at its own pace. Each completed
/// read fills one whole segment: a shorter transfer is followed by zero
/// bytes up to the segment's end. When the worker catches up with the reader,
/// the segment is written anyway (the unread data is lost) and the next
/// ReadPipe reports the overflow.
///
/// A device that goes away while open ends its worker (CBulkUSBDevice at
/// once, CLibUSBDevice after more than 3 seconds without a transfer): the
/// ring keeps what arrived, ReadPipe then answers 0 with the last error
/// ERROR_DEVICE_NOT_CONNECTED (1167), WritePipe 0; CloseDevice still closes.
///
/// One application thread reads and writes a device; the ring's positions
/// are each written by one side only.
#include <zep3/devices/USBDeviceDescr.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

// The last error once a device has gone away (the platform's number).
#ifndef ERROR_DEVICE_NOT_CONNECTED
#define ERROR_DEVICE_NOT_CONNECTED 1167L
#endif

class ZEP3_API CUSBDevice {
public:
    /// Opens the device named as the device list gives it (its device file)
    /// and starts the reads.
    virtual bool OpenDeviceBulk(CString const& name) = 0;
    virtual bool CloseDevice() = 0;
    /// Unread bytes in the ring.
    virtual int GetAvailableRead() = 0;
    /// Copies min(unread, size) bytes and returns their count. *overflow (when
    /// given) receives the overflow flag, which is cleared; *freeRequests (when
    /// given) the reads the device may still complete ahead of the worker.
    virtual int ReadPipe(void* buffer, int size, bool* overflow, int* freeRequests) = 0;
    /// Sends size bytes on the output pipe; 1 on success, 0 on failure.
    virtual int WritePipe(void* data, int size) = 0;
    virtual EUSBDeviceType GetUSBDeviceType() = 0;

protected:
    /// The implementations add their virtual destructor after the operations;
    /// delete a device through its own class.
    ~CUSBDevice() = default;
};
