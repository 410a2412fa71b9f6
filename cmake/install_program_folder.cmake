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
if(NOT EXISTS "${dir}/屏蔽用户.txt")
  file(TOUCH "${dir}/屏蔽用户.txt")
  message(STATUS "Installing: ${dir}/屏蔽用户.txt")
endif()
foreach(list 昵称替换.txt 替换列表.txt)
  if(NOT EXISTS "${dir}/${list}")
    file(TOUCH "${dir}/${list}")
    message(STATUS "Installing: ${dir}/${list}")
  endif()
endforeach()
file(MAKE_DIRECTORY "${dir}/waves")

# Debug information is for the build tree; the installed program is stripped.
if(SONARO_STRIP AND EXISTS "${dir}/sonaro")
  execute_process(COMMAND "${SONARO_STRIP}" --strip-unneeded "${dir}/sonaro" RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(WARNING "could not strip ${dir}/sonaro")
  endif()
endif()

# The icon in the hicolor theme, so a desktop finds it by name where the
# prefix's share/ is one of its data folders (/usr/local, ~/.local).
set(icon_dir "${dir}/share/icons/hicolor/128x128/apps")
file(MAKE_DIRECTORY "${icon_dir}")
file(COPY_FILE "${SONARO_RESOURCES}/icon.png" "${icon_dir}/sonaro.png")
message(STATUS "Installing: ${icon_dir}/sonaro.png")

# Two desktop entries: one in share/applications naming the themed icon, and
# one beside the program with the icon's full path, to copy anywhere.
function(write_desktop_entry path icon)
  file(WRITE "${path}"
"[Desktop Entry]
Type=Application
Name=Sonaro
Name[zh_CN]=Sonaro 弹幕语音
GenericName=Chat reader
GenericName[zh_CN]=弹幕朗读
Comment=Reads a live stream's chat aloud
Comment[zh_CN]=把直播间的弹幕、礼物和进场欢迎读出来
Keywords=live;stream;chat;danmaku;speech;tts;
Keywords[zh_CN]=直播;弹幕;语音;朗读;礼物;
Exec=\"${CMAKE_INSTALL_PREFIX}/sonaro\"
Path=${CMAKE_INSTALL_PREFIX}
Icon=${icon}
Terminal=false
Categories=AudioVideo;Audio;
")
  message(STATUS "Installing: ${path}")
endfunction()
file(MAKE_DIRECTORY "${dir}/share/applications")
write_desktop_entry("${dir}/share/applications/sonaro.desktop" sonaro)
write_desktop_entry("${dir}/sonaro.desktop" "${CMAKE_INSTALL_PREFIX}/sonaro.png")
message(STATUS "(copy sonaro.desktop to ~/.local/share/applications to list Sonaro in the menu)")
