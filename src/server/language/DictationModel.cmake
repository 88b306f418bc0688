# Included by the server's CMakeLists.txt. The dictation language model: built from text the project writes, by the project's own n-gram
# builder, so nothing is downloaded and the model always matches the text pipeline's spoken marks.
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(ORLAVO_DICTATION_MODEL "${CMAKE_BINARY_DIR}/share/orlavo/dictation-en.lm"
    CACHE FILEPATH "Where the build writes the dictation language model (ARPA)")
get_filename_component(ORLAVO_DICTATION_MODEL_NAME "${ORLAVO_DICTATION_MODEL}" NAME)
set(ORLAVO_DICTATION_MODEL_INSTALL_DIR "${CMAKE_INSTALL_DATADIR}/orlavo")

add_custom_command(
    OUTPUT "${ORLAVO_DICTATION_MODEL}"
    COMMAND Python3::Interpreter "${CMAKE_CURRENT_SOURCE_DIR}/language/build_dictation_lm.py"
            "${CMAKE_CURRENT_SOURCE_DIR}/language/dictation.txt" "${ORLAVO_DICTATION_MODEL}"
    DEPENDS language/build_dictation_lm.py language/dictation.txt
    COMMENT "Building the dictation language model"
    VERBATIM)
add_custom_target(orlavo_dictation_model ALL DEPENDS "${ORLAVO_DICTATION_MODEL}")
install(FILES "${ORLAVO_DICTATION_MODEL}" DESTINATION "${ORLAVO_DICTATION_MODEL_INSTALL_DIR}")

file(RELATIVE_PATH ORLAVO_DICTATION_MODEL_RELATIVE "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${ORLAVO_DICTATION_MODEL_INSTALL_DIR}/${ORLAVO_DICTATION_MODEL_NAME}")
set_property(SOURCE language/DictationModel.cpp APPEND PROPERTY COMPILE_DEFINITIONS
    ORLAVO_DICTATION_MODEL_RELATIVE="${ORLAVO_DICTATION_MODEL_RELATIVE}"
    ORLAVO_DICTATION_MODEL_INSTALLED="${CMAKE_INSTALL_PREFIX}/${ORLAVO_DICTATION_MODEL_INSTALL_DIR}/${ORLAVO_DICTATION_MODEL_NAME}"
    ORLAVO_DICTATION_MODEL_BUILT="${ORLAVO_DICTATION_MODEL}")
add_dependencies(orlavo_server_lib orlavo_dictation_model)
