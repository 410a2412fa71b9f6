# Runs at install time: the files that belong beside the program, and a desktop
# entry that points at this folder.
set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

if(NOT EXISTS "${dir}/配置.txt")
  file(COPY_FILE "${SONARO_RESOURCES}/default-config.txt" "${dir}/配置.txt")
  message(STATUS "Installing: ${dir}/配置.txt")
endif()
if(NOT EXISTS "${dir}/过滤列表.txt")
  file(TOUCH "${dir}/过滤列表.txt")
  message(STATUS "Installing: ${dir}/过滤列表.txt")
endif()
file(MAKE_DIRECTORY "${dir}/waves")

file(WRITE "${dir}/sonaro.desktop"
"[Desktop Entry]
Type=Application
Name=Sonaro
Comment=Reads a live stream's chat aloud
Comment[zh_CN]=弹幕语音播报
Exec=\"${CMAKE_INSTALL_PREFIX}/sonaro\"
Path=${CMAKE_INSTALL_PREFIX}
Icon=${CMAKE_INSTALL_PREFIX}/sonaro.png
Terminal=false
Categories=AudioVideo;Audio;Network;
")
message(STATUS "Installing: ${dir}/sonaro.desktop (copy it to ~/.local/share/applications to list Sonaro in the menu)")
