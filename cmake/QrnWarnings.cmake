# Strict warnings and optional sanitizers, applied to our own targets only
# (through qrn_target_options) so third-party code is left alone.
add_library(qrn_options INTERFACE)
if(MSVC)
  target_compile_options(qrn_options INTERFACE /W4 /utf-8 /permissive-)
  if(QRN_WERROR)
    target_compile_options(qrn_options INTERFACE /WX)
  endif()
else()
  target_compile_options(qrn_options INTERFACE -Wall -Wextra -Wpedantic)
  if(QRN_WERROR)
    target_compile_options(qrn_options INTERFACE -Werror)
  endif()
  if(QRN_SANITIZE)
    target_compile_options(qrn_options INTERFACE
      -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(qrn_options INTERFACE -fsanitize=address,undefined)
  endif()
endif()

function(qrn_target_options target)
  target_link_libraries(${target} PRIVATE qrn_options)
endfunction()
