# cmake -DCMARK_GFM=... -DTITLE=... -DINPUT=x.md -DOUTPUT=x.html -P markdown-page.cmake
# One HTML page from one Markdown file: cmark-gfm makes the body, this gives
# it the page around it (the character set, so that a browser reads the
# file's UTF-8 right, and a title).
execute_process(
    COMMAND ${CMARK_GFM} --extension table --extension autolink --extension strikethrough
            --validate-utf8 ${INPUT}
    OUTPUT_VARIABLE body
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmark-gfm failed on ${INPUT}")
endif()
file(WRITE ${OUTPUT}
     "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
     "<title>Palm Loomway: ${TITLE}</title>\n</head>\n<body>\n${body}</body>\n</html>\n")
