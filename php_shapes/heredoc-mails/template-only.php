<?php
// Mail texts, English. {USERNAME}, {SITENAME} and {U_ACTIVATE} are filled in when the mail is sent.
$lang['mail_subject_welcome'] = 'Welcome to {SITENAME}';
$lang['mail_welcome'] = <<<EOT
Hello {USERNAME},

thank you for registering at {SITENAME}.
Please keep this mail; your account costs \$0 and needs no card.

Activate it here: {U_ACTIVATE}
EOT;
$lang['mail_password'] = <<<'TEXT'
Hello,

someone asked for a new password for $username.
If it was not you, ignore this mail.
TEXT;
$lang['mail_signature'] = <<<EOT
    --
    The {SITENAME} team
    EOT;
define('MAIL_FOOTER', <<<FOOTER
You get this mail because you are a member.
\tTo stop it, change your settings.
FOOTER);
$lang['mail_subject_password'] = "New password";
