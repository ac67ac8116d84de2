zep3_sources(
  detail/ControlPaint.cpp
  ScheduleCtrl.cpp
  ScheduleCtrlPaint.cpp
  WaveGraphCtrl.cpp
  WaveGraphPositionCtrl.cpp
)
