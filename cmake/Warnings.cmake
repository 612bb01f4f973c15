# Project-wide compile flags, applied per target with glimmerpick_target_flags().
option(GLIMMERPICK_WERROR "Treat warnings as errors" OFF)

function(glimmerpick_target_flags target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<BOOL:${GLIMMERPICK_WERROR}>:-Werror>)
  # Q_ASSERT stays in force outside release builds (Qt's packages define QT_NO_DEBUG otherwise).
  target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Release>>:QT_FORCE_ASSERTS>)
  # Bounds-checked standard containers everywhere but in release (benchmark) builds.
  target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Release>>:_GLIBCXX_ASSERTIONS>)
endfunction()

if(GLIMMERPICK_SANITIZE)
  add_compile_options(-fsanitize=${GLIMMERPICK_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${GLIMMERPICK_SANITIZE})
endif()
