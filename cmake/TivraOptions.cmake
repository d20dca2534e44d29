# Compile settings shared by every target of the project.
add_library(tivra_options INTERFACE)
target_compile_features(tivra_options INTERFACE cxx_std_20)
target_compile_options(tivra_options INTERFACE -Wall -Wextra -Wpedantic)
if(TIVRA_WERROR)
  target_compile_options(tivra_options INTERFACE -Werror)
endif()
target_compile_definitions(tivra_options INTERFACE
  QT_NO_KEYWORDS QT_NO_CAST_FROM_BYTEARRAY QT_USE_QSTRINGBUILDER
  TIVRA_VERSION_TEXT="${PROJECT_VERSION}")
