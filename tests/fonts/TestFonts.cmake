# The font set every test process sees: the files of the font packages that
# scripts/deps.sh installs, and nothing else. Sets QV750_TEST_FONTCONFIG to the
# generated fontconfig file. The program itself keeps the system's fonts.

# Debian package -> its font files.
set(_qv750_font_packages fonts-dejavu-core fonts-wqy-microhei)
set(_qv750_fonts_fonts-dejavu-core
    DejaVuSans.ttf DejaVuSans-Bold.ttf DejaVuSansMono.ttf DejaVuSansMono-Bold.ttf
    DejaVuSerif.ttf DejaVuSerif-Bold.ttf)
set(_qv750_fonts_fonts-wqy-microhei wqy-microhei.ttc)

set(_dirs "")
set(_files "")
foreach(pkg IN LISTS _qv750_font_packages)
  foreach(name IN LISTS _qv750_fonts_${pkg})
    string(MAKE_C_IDENTIFIER "QV750_FONT_${name}" var)
    find_file(${var} ${name}
      PATHS /usr/share/fonts /usr/local/share/fonts
      PATH_SUFFIXES truetype/dejavu truetype/wqy dejavu wqy wqy-microhei
      NO_DEFAULT_PATH)
    if(NOT ${var})
      message(FATAL_ERROR "The tests need the font file ${name} of the package ${pkg}: "
                          "run scripts/deps.sh (or apt-get install ${pkg}).")
    endif()
    get_filename_component(dir "${${var}}" DIRECTORY)
    list(APPEND _dirs "${dir}")
    list(APPEND _files "${${var}}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES _dirs)

set(QV750_TEST_FONT_DIR_ELEMENTS "")
foreach(dir IN LISTS _dirs)
  string(APPEND QV750_TEST_FONT_DIR_ELEMENTS "  <dir>${dir}</dir>\n")
endforeach()
set(QV750_TEST_FONT_FILE_ELEMENTS "")
foreach(file IN LISTS _files)
  string(APPEND QV750_TEST_FONT_FILE_ELEMENTS "      <glob>${file}</glob>\n")
endforeach()
string(STRIP "${QV750_TEST_FONT_DIR_ELEMENTS}" QV750_TEST_FONT_DIR_ELEMENTS)
string(PREPEND QV750_TEST_FONT_DIR_ELEMENTS "  ")
string(STRIP "${QV750_TEST_FONT_FILE_ELEMENTS}" QV750_TEST_FONT_FILE_ELEMENTS)
string(PREPEND QV750_TEST_FONT_FILE_ELEMENTS "      ")
set(QV750_TEST_FONT_CACHE "${CMAKE_CURRENT_BINARY_DIR}/fonts/cache")

set(QV750_TEST_FONTCONFIG "${CMAKE_CURRENT_BINARY_DIR}/fonts/fonts.conf")
configure_file(${CMAKE_CURRENT_LIST_DIR}/fonts.conf.in ${QV750_TEST_FONTCONFIG} @ONLY)
