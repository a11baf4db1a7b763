document.write("<img src=\"http://img.example/logo.gif\" border=0>");
