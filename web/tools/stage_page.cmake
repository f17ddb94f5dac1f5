# Stages the page into the folder the executable serves: the page's own files, plus
# the few files of its npm dependencies that the browser loads. Installs the npm
# dependencies first when they are missing or older than the lock file.
#
#   cmake -DPAGE_SOURCE=<web> -DPAGE_DEST=<build>/web [-DNPM=<npm>] -P stage_page.cmake

cmake_minimum_required(VERSION 3.25)

foreach(required PAGE_SOURCE PAGE_DEST)
  if(NOT ${required})
    message(FATAL_ERROR "stage_page: ${required} is not set")
  endif()
endforeach()

set(modules "${PAGE_SOURCE}/node_modules")
set(lock "${PAGE_SOURCE}/package-lock.json")
# npm writes this file last in every install, so its age is the installation's age.
set(stamp "${modules}/.package-lock.json")

function(page_dependencies_stale out)
  if(NOT EXISTS "${stamp}" OR "${lock}" IS_NEWER_THAN "${stamp}")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

page_dependencies_stale(stale)
if(stale)
  # Several build trees share one source tree: one install at a time, and a second
  # builder that waited finds the work done.
  file(LOCK "${PAGE_SOURCE}/.npm-install.lock" GUARD PROCESS TIMEOUT 900 RESULT_VARIABLE locked)
  if(NOT locked EQUAL 0)
    message(FATAL_ERROR "stage_page: could not lock ${PAGE_SOURCE}/.npm-install.lock: ${locked}")
  endif()
  page_dependencies_stale(stale)
  if(stale)
    if(NOT NPM)
      find_program(NPM npm)
    endif()
    if(NOT NPM)
      message(FATAL_ERROR "stage_page: npm is needed to install the page's packages (scripts/deps.sh installs it)")
    endif()
    message(STATUS "Installing the page's npm packages")
    # The optional packages only serve Node (a canvas for rendering outside a browser)
    # and some download native binaries at install time: the page needs none of them.
    execute_process(
      COMMAND "${NPM}" ci --omit=optional --ignore-scripts --no-audit --no-fund --loglevel=error
      WORKING_DIRECTORY "${PAGE_SOURCE}"
      RESULT_VARIABLE npm_result)
    if(NOT npm_result EQUAL 0)
      message(FATAL_ERROR "stage_page: npm ci failed (${npm_result})")
    endif()
    file(TOUCH "${stamp}")
  endif()
  file(LOCK "${PAGE_SOURCE}/.npm-install.lock" RELEASE)
endif()

# The staged tree mirrors these lists: what is copied, and only that, is served.
set(staged "")

# The page itself: everything in web/ except how it is built and tested.
file(GLOB_RECURSE page_files RELATIVE "${PAGE_SOURCE}" "${PAGE_SOURCE}/*")
list(FILTER page_files EXCLUDE REGEX "^(node_modules|tools|test)/|^package(-lock)?\\.json$|^\\.npm-install\\.lock$")
foreach(relative IN LISTS page_files)
  get_filename_component(folder "${relative}" DIRECTORY)
  file(COPY "${PAGE_SOURCE}/${relative}" DESTINATION "${PAGE_DEST}/${folder}")
  list(APPEND staged "${relative}")
endforeach()

# What the browser loads of the dependencies, with their licences.
function(stage_vendor package into)
  foreach(relative IN LISTS ARGN)
    get_filename_component(name "${relative}" NAME)
    if(IS_DIRECTORY "${modules}/${package}/${relative}")
      file(COPY "${modules}/${package}/${relative}" DESTINATION "${PAGE_DEST}/vendor/${into}")
      file(GLOB_RECURSE inside RELATIVE "${modules}/${package}/${relative}" "${modules}/${package}/${relative}/*")
      list(TRANSFORM inside PREPEND "vendor/${into}/${name}/")
      list(APPEND staged ${inside})
    else()
      file(COPY "${modules}/${package}/${relative}" DESTINATION "${PAGE_DEST}/vendor/${into}")
      list(APPEND staged "vendor/${into}/${name}")
    endif()
  endforeach()
  set(staged "${staged}" PARENT_SCOPE)
endfunction()
stage_vendor(pdfjs-dist pdfjs build/pdf.min.mjs build/pdf.worker.min.mjs LICENSE cmaps standard_fonts wasm iccs)
stage_vendor(pdf-lib pdf-lib dist/pdf-lib.esm.min.js LICENSE.md)

# Files an earlier build staged that are no longer part of the page.
file(GLOB_RECURSE present RELATIVE "${PAGE_DEST}" "${PAGE_DEST}/*")
list(REMOVE_ITEM present ${staged})
foreach(relative IN LISTS present)
  file(REMOVE "${PAGE_DEST}/${relative}")
endforeach()
# ... and the folders that held nothing else, deepest first.
file(GLOB_RECURSE folders LIST_DIRECTORIES true "${PAGE_DEST}/*")
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY "${folder}")
    file(GLOB left "${folder}/*")
    if(NOT left)
      file(REMOVE_RECURSE "${folder}")
    endif()
  endif()
endforeach()
