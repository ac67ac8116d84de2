zep3_sources(
  Archive.cpp
  AsyncSocket.cpp
  Clock.cpp
  CodePage.cpp
  CriticalSection.cpp
  Cursor.cpp
  DC.cpp
  DCBlit.cpp
  DCDraw.cpp
  DCText.cpp
  Dialog.cpp
  DrawDib.cpp
  Event.cpp
  FdNotifier.cpp
  File.cpp
  FileDialog.cpp
  FileFind.cpp
  FileSystem.cpp
  GdiObject.cpp
  Kernel.cpp
  LastError.cpp
  LoadImage.cpp
  LoopBackendEpoll.cpp
  Menu.cpp
  MessageBox.cpp
  MessagePump.cpp
  MessageQueue.cpp
  Module.cpp
  PixelSurface.cpp
  Rect.cpp
  Socket.cpp
  SocketFile.cpp
  Registry.cpp
  Resource.cpp
  StdioFile.cpp
  String.cpp
  Thread.cpp
  Time.cpp
  WinThread.cpp
  WindowPaint.cpp
  WinSock.cpp
  WindowClasses.cpp
  WindowFunctions.cpp
  Wnd.cpp
  detail/DisplayBackend.cpp
  detail/DisplayX11.cpp
  detail/FontEngine.cpp
  detail/HeadlessDisplay.cpp
  detail/Posix.cpp
  detail/Random.cpp
  detail/Raster.cpp
  detail/Wildcard.cpp
  detail/WindowTable.cpp
)

# Text: FreeType over the fonts fontconfig finds. The X11 display back end:
# Xlib, linked privately; without a display it is simply never opened.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(ZEP3_FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(ZEP3_X11 REQUIRED IMPORTED_TARGET x11)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_FREETYPE PkgConfig::ZEP3_FONTCONFIG PkgConfig::ZEP3_X11)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE freetype2 fontconfig x11)
