# ELVARIN_SANITIZE applies to every target so the whole suite runs under the
# sanitizers; recoverable checks are made fatal so a finding fails the test.
if(ELVARIN_SANITIZE)
  add_compile_options(-fsanitize=${ELVARIN_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${ELVARIN_SANITIZE})
endif()
