#pragma once
/// @file
/// The dial-up networking records and numbers that CRas's interface uses:
/// the connection handle, the connection states, the entry properties record
/// (2884 bytes, the layout of the platform version the library was built
/// for) and the dial-up error numbers.
#include <zep3/platform/WinTypes.h>

struct HRASCONN__;
typedef HRASCONN__* HRASCONN;

#define RAS_MaxEntryName 256
#define RAS_MaxDeviceType 16
#define RAS_MaxDeviceName 128
#define RAS_MaxPhoneNumber 128
#define RAS_MaxAreaCode 10
#define RAS_MaxPadType 32
#define RAS_MaxX25Address 200
#define RAS_MaxFacilities 200
#define RAS_MaxUserData 200
#define RAS_MaxDnsSuffix 256
#define RAS_MAX_PATH 260

///@{
/// Device types as the phonebook names them.
#define RASDT_Modem "modem"
#define RASDT_Isdn "isdn"
///@}

enum RASCONNSTATE {
    RASCS_OpenPort = 0,
    RASCS_PortOpened,
    RASCS_ConnectDevice,
    RASCS_DeviceConnected,
    RASCS_AllDevicesConnected,
    RASCS_Authenticate,
    RASCS_AuthNotify,
    RASCS_AuthRetry,
    RASCS_AuthCallback,
    RASCS_AuthChangePassword,
    RASCS_AuthProject,
    RASCS_AuthLinkSpeed,
    RASCS_AuthAck,
    RASCS_ReAuthenticate,
    RASCS_Authenticated,
    RASCS_PrepareForCallback,
    RASCS_WaitForModemReset,
    RASCS_WaitForCallback,
    RASCS_Projected,
    RASCS_StartAuthentication,
    RASCS_CallbackComplete,
    RASCS_LogonNetwork,
    RASCS_SubEntryConnected,
    RASCS_SubEntryDisconnected,
    RASCS_Interactive = 0x1000,
    RASCS_RetryAuthentication,
    RASCS_CallbackSetByCaller,
    RASCS_PasswordExpired,
    RASCS_InvokeEapUI,
    RASCS_Connected = 0x2000,
    RASCS_Disconnected
};

/// An IPv4 address of a dial-up entry, one byte per part (a.b.c.d).
struct RASIPADDR {
    BYTE a, b, c, d;
};

/// The properties of one phonebook entry (RasGetEntryProperties and
/// RasSetEntryProperties): the number to dial, the device, the addresses
/// and the options. Set dwSize before a call.
struct RASENTRY {
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    char szAreaCode[RAS_MaxAreaCode + 1];
    char szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    DWORD dwAlternateOffset;
    RASIPADDR ipaddr;
    RASIPADDR ipaddrDns;
    RASIPADDR ipaddrDnsAlt;
    RASIPADDR ipaddrWins;
    RASIPADDR ipaddrWinsAlt;
    DWORD dwFrameSize;
    DWORD dwfNetProtocols;
    DWORD dwFramingProtocol;
    char szScript[RAS_MAX_PATH];
    char szAutodialDll[RAS_MAX_PATH];
    char szAutodialFunc[RAS_MAX_PATH];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    char szX25PadType[RAS_MaxPadType + 1];
    char szX25Address[RAS_MaxX25Address + 1];
    char szX25Facilities[RAS_MaxFacilities + 1];
    char szX25UserData[RAS_MaxUserData + 1];
    DWORD dwChannels;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwSubEntries;
    DWORD dwDialMode;
    DWORD dwDialExtraPercent;
    DWORD dwDialExtraSampleSeconds;
    DWORD dwHangUpExtraPercent;
    DWORD dwHangUpExtraSampleSeconds;
    DWORD dwIdleDisconnectSeconds;
    DWORD dwType;
    DWORD dwEncryptionType;
    DWORD dwCustomAuthKey;
    GUID guidId;
    char szCustomDialDll[RAS_MAX_PATH];
    DWORD dwVpnStrategy;
    DWORD dwfOptions2;
    DWORD dwfOptions3;
    char szDnsSuffix[RAS_MaxDnsSuffix];
    DWORD dwTcpWindowSize;
    char szPrerequisitePbk[RAS_MAX_PATH];
    char szPrerequisiteEntry[RAS_MaxEntryName + 1];
    DWORD dwRedialCount;
    DWORD dwRedialPause;
};
typedef RASENTRY* LPRASENTRY;
static_assert(sizeof(RASENTRY) == 2884, "the entry properties record is 2884 bytes");
static_assert(offsetof(RASENTRY, szLocalPhoneNumber) == 27 && offsetof(RASENTRY, szScript) == 192 &&
                  offsetof(RASENTRY, szDeviceType) == 972 && offsetof(RASENTRY, guidId) == 1808 &&
                  offsetof(RASENTRY, dwRedialPause) == 2880,
              "entry properties layout");

///@{
/// Dial-up error numbers (600 and up).
#define PENDING 600
#define ERROR_BUFFER_TOO_SMALL 603
#define ERROR_CANNOT_SET_PORT_INFO 605
#define ERROR_DEVICE_DOES_NOT_EXIST 608
#define ERROR_PORT_NOT_FOUND 615
#define ERROR_ALREADY_DISCONNECTING 617
#define ERROR_PORT_NOT_OPEN 618
#define ERROR_PORT_DISCONNECTED 619
#define ERROR_CANNOT_OPEN_PHONEBOOK 621
#define ERROR_CANNOT_LOAD_PHONEBOOK 622
#define ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623
#define ERROR_CANNOT_WRITE_PHONEBOOK 624
#define ERROR_CORRUPT_PHONEBOOK 625
#define ERROR_DISCONNECTION 628
#define ERROR_REMOTE_DISCONNECTION 629
#define ERROR_HARDWARE_FAILURE 630
#define ERROR_USER_DISCONNECTION 631
#define ERROR_INVALID_SIZE 632
#define ERROR_PORT_NOT_AVAILABLE 633
#define ERROR_UNKNOWN 635
#define ERROR_REQUEST_TIMEOUT 638
#define ERROR_NO_DIALIN_PERMISSION 649
#define ERROR_SERVER_NOT_RESPONDING 650
#define ERROR_FROM_DEVICE 651
#define ERROR_DEVICE_NOT_READY 666
#define ERROR_NO_CONNECTION 668
#define ERROR_LINE_BUSY 676
#define ERROR_VOICE_ANSWER 677
#define ERROR_NO_ANSWER 678
#define ERROR_NO_CARRIER 679
#define ERROR_NO_DIALTONE 680
#define ERROR_AUTHENTICATION_FAILURE 691
#define ERROR_RASMAN_CANNOT_INITIALIZE 711
#define ERROR_IP_CONFIGURATION 716
#define ERROR_PPP_TIMEOUT 718
#define ERROR_PPP_REMOTE_TERMINATED 719
#define ERROR_PPP_NO_PROTOCOLS_CONFIGURED 720
#define ERROR_PPP_NO_RESPONSE 721
#define ERROR_PPP_LCP_TERMINATED 734
#define ERROR_PPP_LOOPBACK_DETECTED 737
#define ERROR_PPP_NO_ADDRESS_ASSIGNED 738
///@}
