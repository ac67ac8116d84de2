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

# The web server and its pages.
zep3_sources(
  HTMLBuiltInPages.cpp
  HTMLInputs.cpp
  HTMLPage.cpp
  HTMLPageManager.cpp
  HTTPServer.cpp
  HTTPServerSocket.cpp
  HTTPServerThread.cpp
  HTTPSessionManager.cpp
  RemoteBrowserSocket.cpp
  detail/HTTPServerWorkers.cpp
  detail/HttpRequest.cpp
  detail/HttpTexts.cpp
)
# The login's browser scripts become byte arrays of the library.
foreach(_zep3_script sha1 md5)
  set(_zep3_js ${CMAKE_CURRENT_LIST_DIR}/scripts/${_zep3_script}.js)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_zep3_js})
  file(READ ${_zep3_js} _zep3_hex HEX)
  string(TOUPPER ${_zep3_script} _zep3_name)
  string(REGEX REPLACE "(..)" "0x\\1," ZEP3_${_zep3_name}_JS "${_zep3_hex}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/detail/HttpScripts.cpp.in ${CMAKE_BINARY_DIR}/generated/zep3/net/HttpScripts.cpp
               @ONLY)
list(APPEND ZEP3_SOURCES ${CMAKE_BINARY_DIR}/generated/zep3/net/HttpScripts.cpp)
