<?php
// E-Mail-Texte, deutsch. {USERNAME}, {SITENAME} und {U_ACTIVATE} werden beim Versand ersetzt.
$lang['mail_subject_welcome'] = 'Willkommen bei {SITENAME}';
$lang['mail_welcome'] = <<<EOT
Hallo {USERNAME},

danke für deine Anmeldung bei {SITENAME}.
Bitte bewahre diese E-Mail auf; dein Konto kostet \$0 und braucht keine Karte.

Aktiviere es hier: {U_ACTIVATE}
EOT;
$lang['mail_password'] = <<<'TEXT'
Hallo,

jemand hat ein neues Passwort für $username angefordert.
Warst du es nicht, beachte diese E-Mail nicht.
TEXT;
$lang['mail_signature'] = <<<EOT
    --
    Das Team von {SITENAME}
    EOT;
define('MAIL_FOOTER', <<<FOOTER
Du erhältst diese E-Mail, weil du Mitglied bist.
\tUm sie abzustellen, ändere deine Einstellungen.
FOOTER);
$lang['mail_subject_password'] = "Neues Passwort";
