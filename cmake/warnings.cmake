# Warnings are errors everywhere in the project's own code.
function(elvarin_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                                             -Wshadow -Wconversion -Wno-sign-conversion)
  endif()
endfunction()
