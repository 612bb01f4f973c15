# Project-wide compile flags, applied per target with glimmerpick_target_flags().
function(glimmerpick_target_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  # Bounds-checked standard containers everywhere but in release (benchmark) builds.
  target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Release>>:_GLIBCXX_ASSERTIONS>)
endfunction()

if(GLIMMERPICK_SANITIZE)
  add_compile_options(-fsanitize=${GLIMMERPICK_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${GLIMMERPICK_SANITIZE})
endif()
