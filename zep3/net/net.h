#pragma once
// Networking: the packet stream between the applications and its
// remote-control records, the FTP client, multicast datagrams, named pipes
// and mailslots.
#include <zep3/net/ArchiveLogMessage.h>
#include <zep3/net/CameraLogMessage.h>
#include <zep3/net/CameraStatus.h>
#include <zep3/net/CameraStatusMessage.h>
#include <zep3/net/ClientASocket.h>
#include <zep3/net/ClientSocket.h>
#include <zep3/net/DayLogMessage.h>
#include <zep3/net/EventLogMessage.h>
#include <zep3/net/FTPClient.h>
#include <zep3/net/GeneralStatusMessage.h>
#include <zep3/net/IOLineStatus.h>
#include <zep3/net/ImageMessage.h>
#include <zep3/net/LoginMessage.h>
#include <zep3/net/Mailslot.h>
#include <zep3/net/MulticastSocket.h>
#include <zep3/net/NamedPipe.h>
#include <zep3/net/OnEventMessage.h>
#include <zep3/net/OwnIP.h>
#include <zep3/net/PacketHeader.h>
#include <zep3/net/PrepareImageServerMessage.h>
#include <zep3/net/PromptMessage.h>
#include <zep3/net/RemoteMessage.h>
#include <zep3/net/ServerSocket.h>
#include <zep3/net/TextMessage.h>
