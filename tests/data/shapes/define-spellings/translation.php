<?php
/**
 * Fichier de langue : français
 * Traduction : Jeanne Lefèvre <jeanne@example.org>, 2021
 * Relecture : Marc Dubois
 */
defined('_VALID_MOS') or die('L\'accès direct à cet emplacement est interdit.');

define('_JOINED', 'Inscrit le');
@define('_LOGIN', 'Connexion');
\define('_LOGOUT', 'Déconnexion');
DEFINE('_SEARCH_BOX', 'rechercher…');
Define("_SAY_HI", "Dites « bonjour » à {name}");
define ( '_DISK_PATH' , 'Les fichiers sont dans C:\\temp\\' ) ;
define('_ITS', 'C\'est fait');
/* define('_OLD_LOGIN', 'S\'identifier'); */
/*
define('_RETIRED', 'Retiré');
define('_LOGIN', 'Identifiez-vous ici');
*/
// define('_DRAFT', 'Brouillon');
# define('_HASHED', 'Haché');
define('_NO_COMMENT', 'Commentaires /* désactivés */ ici'); // trailing // comment
define("_DOLLAR", "Coûte 5 \$");
?>
