#pragma once
// Telephony and device I/O: caller identity, serial ports, device plug-ins.
#include <zep3/devices/AIORange.h>
#include <zep3/devices/AnalogIO.h>
#include <zep3/devices/CommConstants.h>
#include <zep3/devices/DigitalIO.h>
#include <zep3/devices/FSKmessage.h>
#include <zep3/devices/Grabber.h>
#include <zep3/devices/SerialPort.h>
#include <zep3/devices/SerialPortLine.h>
// USB devices
