#pragma once
/// @file
/// The serial communication constants of the platform's comm interface, with
/// their Windows values: event masks for Open and WaitForEvent, the modem
/// status bits, the escape codes that raise and drop the output lines, and the
/// parity and stop-bit codes of Open.
#include <zep3/platform/WinTypes.h>

///@{
/// Communication events (Open's eventMask, WaitForEvent's result).
#define EV_RXCHAR 0x0001u  ///< a byte was received
#define EV_RXFLAG 0x0002u  ///< the event byte was received (never reported here)
#define EV_TXEMPTY 0x0004u ///< the output queue ran empty (never reported here)
#define EV_CTS 0x0008u     ///< CTS changed
#define EV_DSR 0x0010u     ///< DSR changed
#define EV_RLSD 0x0020u    ///< carrier detect changed
#define EV_BREAK 0x0040u   ///< a break was received
#define EV_ERR 0x0080u     ///< framing, overrun or parity error
#define EV_RING 0x0100u    ///< a ring was signalled
///@}

///@{
/// Modem status bits (EInputLine).
#define MS_CTS_ON 0x0010u
#define MS_DSR_ON 0x0020u
#define MS_RING_ON 0x0040u
#define MS_RLSD_ON 0x0080u
///@}

///@{
/// Escape codes of the output lines.
#define SETRTS 3u
#define CLRRTS 4u
#define SETDTR 5u
#define CLRDTR 6u
///@}

///@{
/// Parity codes.
#define NOPARITY 0
#define ODDPARITY 1
#define EVENPARITY 2
#define MARKPARITY 3
#define SPACEPARITY 4
///@}

///@{
/// Stop-bit codes.
#define ONESTOPBIT 0
#define ONE5STOPBITS 1
#define TWOSTOPBITS 2
///@}

///@{
/// Common baud rates.
#define CBR_1200 1200u
#define CBR_2400 2400u
#define CBR_4800 4800u
#define CBR_9600 9600u
#define CBR_19200 19200u
#define CBR_38400 38400u
#define CBR_57600 57600u
#define CBR_115200 115200u
///@}
