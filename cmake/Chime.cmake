# The time-signal chime shipped beside vo.exe as sample.wav, the default wave path.
# It is generated from code, so the repository holds no audio file.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VO_SAMPLE_WAV ${CMAKE_BINARY_DIR}/sample.wav)
add_custom_command(
  OUTPUT ${VO_SAMPLE_WAV}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make_chime.py ${VO_SAMPLE_WAV}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_chime.py
  COMMENT "Generating sample.wav"
  VERBATIM)
add_custom_target(vo_sample_wav ALL DEPENDS ${VO_SAMPLE_WAV})
