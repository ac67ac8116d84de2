# Packet stream sockets and remote-control records; the FTP client; the
# multicast, pipe and mailslot channels.
zep3_sources(
  ClientASocket.cpp
  ClientSocket.cpp
  FTPClient.cpp
  Mailslot.cpp
  MulticastSocket.cpp
  NamedPipe.cpp
  OwnIP.cpp
  RemoteMessages.cpp
  ServerSocket.cpp
  detail/FtpReply.cpp
  detail/LocalChannel.cpp
  detail/PacketStream.cpp
)
