# libpq, PostgreSQL's client library, as the one target PostgreSQL::PostgreSQL
# on every platform, for the chip record:
#
#   - the cross build for Windows (cmake/mingw-w64-x86_64.cmake): the static
#     libpq that scripts/build-libpq-mingw PREFIX makes, named by the cache
#     variable OTP_LIBPQ_MINGW (scripts/build-windows sets it), with its
#     OpenSSL and the Windows libraries they call;
#   - anywhere else: CMake's FindPostgreSQL (Debian: libpq-dev).
set(OTP_LIBPQ_MINGW "" CACHE PATH
  "Static libpq and OpenSSL for mingw-w64: the PREFIX of scripts/build-libpq-mingw (include/, lib/)")

if(TARGET PostgreSQL::PostgreSQL)
  return()
endif()

if(WIN32 AND OTP_LIBPQ_MINGW)
  set(otp_libpq_lib ${OTP_LIBPQ_MINGW}/lib)
  foreach(file ${OTP_LIBPQ_MINGW}/include/libpq-fe.h ${otp_libpq_lib}/libpq.a
                ${otp_libpq_lib}/libpgcommon_shlib.a ${otp_libpq_lib}/libpgport_shlib.a
                ${otp_libpq_lib}/libssl.a ${otp_libpq_lib}/libcrypto.a)
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "OTP_LIBPQ_MINGW (${OTP_LIBPQ_MINGW}) lacks ${file}: make it with scripts/build-libpq-mingw")
    endif()
  endforeach()
  # OpenSSL's TLS and cryptography, which libpq and PostgreSQL's common code
  # call; they call the system's sockets (ws2_32), its certificate stores
  # (crypt32), random bytes and the user's name (advapi32), and gdi32 and
  # user32 for the random pool's seed and a service's check.
  add_library(PostgreSQL::crypto STATIC IMPORTED)
  set_target_properties(PostgreSQL::crypto PROPERTIES IMPORTED_LOCATION ${otp_libpq_lib}/libcrypto.a
    INTERFACE_LINK_LIBRARIES "ws2_32;gdi32;crypt32;advapi32;user32")
  add_library(PostgreSQL::ssl STATIC IMPORTED)
  set_target_properties(PostgreSQL::ssl PROPERTIES IMPORTED_LOCATION ${otp_libpq_lib}/libssl.a
    INTERFACE_LINK_LIBRARIES PostgreSQL::crypto)
  # PostgreSQL's own common and port code, which libpq calls into; then the
  # system's sockets (ws2_32), SSPI authentication (secur32), the folder of
  # the user's pgpass.conf and root.crt (shell32) and the user's name and
  # random bytes (advapi32).
  add_library(PostgreSQL::pgport STATIC IMPORTED)
  set_target_properties(PostgreSQL::pgport PROPERTIES IMPORTED_LOCATION ${otp_libpq_lib}/libpgport_shlib.a
    INTERFACE_LINK_LIBRARIES "ws2_32;secur32;shell32;advapi32")
  add_library(PostgreSQL::pgcommon STATIC IMPORTED)
  set_target_properties(PostgreSQL::pgcommon PROPERTIES IMPORTED_LOCATION ${otp_libpq_lib}/libpgcommon_shlib.a
    INTERFACE_LINK_LIBRARIES "PostgreSQL::pgport;PostgreSQL::ssl")
  add_library(PostgreSQL::PostgreSQL STATIC IMPORTED)
  set_target_properties(PostgreSQL::PostgreSQL PROPERTIES
    IMPORTED_LOCATION ${otp_libpq_lib}/libpq.a
    INTERFACE_INCLUDE_DIRECTORIES ${OTP_LIBPQ_MINGW}/include
    INTERFACE_LINK_LIBRARIES "PostgreSQL::pgcommon;PostgreSQL::pgport;PostgreSQL::ssl;ws2_32;secur32;shell32;advapi32")
  message(STATUS "libpq: the static one for mingw-w64 in ${OTP_LIBPQ_MINGW}")
elseif(WIN32 AND MINGW AND CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "The Windows build needs a static libpq: make it with scripts/build-libpq-mingw PREFIX "
    "and configure with -DOTP_LIBPQ_MINGW=PREFIX (scripts/build-windows does both)")
else()
  find_package(PostgreSQL REQUIRED)
endif()
