#pragma once
/// @file
/// Telephony and device I/O: caller identity, serial ports, device plug-ins,
/// USB devices.
#include <zep3/devices/AIORange.h>
#include <zep3/devices/AnalogIO.h>
#include <zep3/devices/BulkUSBDevice.h>
#include <zep3/devices/CommConstants.h>
#include <zep3/devices/DigitalIO.h>
#include <zep3/devices/FSKmessage.h>
#include <zep3/devices/Grabber.h>
#include <zep3/devices/LibUSBDevice.h>
#include <zep3/devices/SerialPort.h>
#include <zep3/devices/SerialPortLine.h>
#include <zep3/devices/USBDevice.h>
#include <zep3/devices/USBDeviceDescr.h>
