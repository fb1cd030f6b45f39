# fish completion for quarrelby

complete -c quarrelby -f
complete -c quarrelby -l books -d 'List the address books found'
complete -c quarrelby -l export -x -a 'text csv xlsx vcard vcard4 outlook-csv google-csv' -d 'Write every contact as a table, vCards or import CSV'
complete -c quarrelby -s o -l output -r -F -d 'Write to this file'
# A book is a .vcf file, a folder of them, an SQLite book or an Outlook data
# file, so any file or folder may be one.
complete -c quarrelby -s b -l book -r -F -d 'Read only this address book'
complete -c quarrelby -s h -l help -d 'Show the options'
complete -c quarrelby -l help-all -d "Show the options, Qt's too"
complete -c quarrelby -s v -l version -d 'Show the version'
