# The Zydis x86-64 decoder (decoder only: no formatter, no encoder), static,
# for the inline-hooking engine. Zycore comes either as its full source
# package or, when the mirror could not serve that, as the headers of Debian's
# libzycore-dev (marked by HEADERS_ONLY): the decoder alone calls no Zycore
# function, so the headers are all it needs.
set(_zydis "${DEPS_SOURCE_DIR}/zydis")
set(_zycore "${DEPS_SOURCE_DIR}/zycore-c")
foreach(_dir "${_zydis}/src" "${_zycore}/include/Zycore")
  if(NOT EXISTS "${_dir}")
    message(FATAL_ERROR "Missing ${_dir}: run scripts/setup.sh first")
  endif()
endforeach()

if(EXISTS "${_zycore}/HEADERS_ONLY")
  add_library(Zycore INTERFACE)
  target_include_directories(Zycore SYSTEM INTERFACE ${_zycore}/include)
  target_compile_definitions(Zycore INTERFACE ZYCORE_STATIC_BUILD)
else()
  file(GLOB _zycore_sources CONFIGURE_DEPENDS ${_zycore}/src/*.c ${_zycore}/src/API/*.c)
  add_library(Zycore STATIC ${_zycore_sources})
  target_include_directories(Zycore SYSTEM PUBLIC ${_zycore}/include PRIVATE ${_zycore}/src)
  target_compile_definitions(Zycore PUBLIC ZYCORE_STATIC_BUILD)
  third_party_target(Zycore)
endif()

add_library(Zydis STATIC
  ${_zydis}/src/Decoder.c
  ${_zydis}/src/DecoderData.c
  ${_zydis}/src/MetaInfo.c
  ${_zydis}/src/Mnemonic.c
  ${_zydis}/src/Register.c
  ${_zydis}/src/Segment.c
  ${_zydis}/src/SharedData.c
  ${_zydis}/src/String.c
  ${_zydis}/src/Utils.c
  ${_zydis}/src/Zydis.c)
target_include_directories(Zydis SYSTEM PUBLIC ${_zydis}/include PRIVATE ${_zydis}/src)
target_compile_definitions(Zydis
  PUBLIC ZYDIS_STATIC_BUILD ZYDIS_DISABLE_FORMATTER ZYDIS_DISABLE_ENCODER)
target_link_libraries(Zydis PUBLIC Zycore)
third_party_target(Zydis)
add_library(Zydis::Zydis ALIAS Zydis)
