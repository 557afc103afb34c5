# Include paths. A header of the suite is included by its path in the source tree:
#   #include <ostrel/Calendar.h>
#   #include <kestal/stations/KestalDoc.h>
#   #include <quorvalin/sim/Commands.h>
# and only where the library it belongs to is linked. Each library lists its headers among
# its sources and calls varno_include_root(), which gives it a folder of its own in the
# build tree, include/<target>/, holding links to exactly those headers under their paths
# in the tree, and exports that folder. No target exports a folder of the source tree, so
# a file cannot include a header of a library it does not declare. The test IncludeRoots
# keeps it so.

# varno_include_root(<target>)
# Exports the headers (*.h, *.inl) among <target>'s sources, PUBLIC or, for header-only
# INTERFACE libraries, INTERFACE.
function(varno_include_root target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  else()
    set(scope PUBLIC)
  endif()
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  # Made afresh at every configure, so that a header taken out of the list is gone too.
  file(REMOVE_RECURSE ${root})
  get_target_property(sources ${target} SOURCES)
  set(headers 0)
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.(h|inl)$")
      continue()
    endif()
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
               OUTPUT_VARIABLE file)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${file}" NORMALIZE inside)
    if(NOT inside)
      message(FATAL_ERROR "${target}: ${source} is not a header of the source tree")
    endif()
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR} ${file})
    get_filename_component(folder ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(CREATE_LINK ${file} ${root}/${path} SYMBOLIC)
    math(EXPR headers "${headers} + 1")
  endforeach()
  if(headers EQUAL 0)
    message(FATAL_ERROR "${target} lists no header among its sources")
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# varno_all_targets(<variable>)
# Every target of the build, folder by folder; complete only once every folder is configured.
function(varno_all_targets variable)
  set(all "")
  set(folders ${PROJECT_SOURCE_DIR})
  while(folders)
    list(POP_FRONT folders folder)
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    list(APPEND all ${targets})
  endwhile()
  set(${variable} ${all} PARENT_SCOPE)
endfunction()

# Writes the include folders that each library of the build exports, and what each target
# compiles with, and adds the test that checks them against the rule above. Runs once every
# folder is configured, so that it sees all targets.
function(varno_check_include_roots)
  set(lines "")
  varno_all_targets(targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "LIBRARY$")
      list(APPEND lines "exports ${target} $<JOIN:$<TARGET_PROPERTY:${target},INTERFACE_INCLUDE_DIRECTORIES>,|>")
    endif()
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT type STREQUAL "UTILITY")
      list(APPEND lines "compiles ${target} $<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,|>")
    endif()
  endforeach()
  list(JOIN lines "\n" content)
  set(list_file ${PROJECT_BINARY_DIR}/include-roots.txt)
  file(GENERATE OUTPUT ${list_file} CONTENT "${content}\n")
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME IncludeRoots
             COMMAND Python3::Interpreter ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/include_roots.py
                     ${list_file} ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  endif()
endfunction()
